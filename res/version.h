// The program's version, for the version resource and the About text alike.
#ifndef KCC_RES_VERSION_H
#define KCC_RES_VERSION_H

#define KCC_VERSION_MAJOR 2
#define KCC_VERSION_MINOR 1
#define KCC_VERSION_PATCH 0
#define KCC_VERSION_BUILD 11080

#define KCC_STRINGIZE2(x) #x
#define KCC_STRINGIZE(x) KCC_STRINGIZE2(x)
// The patch level is written with two digits: 2.1.00.11080.
#define KCC_VERSION_TEXT                                                                   \
  KCC_STRINGIZE(KCC_VERSION_MAJOR) "." KCC_STRINGIZE(KCC_VERSION_MINOR) ".0" KCC_STRINGIZE( \
      KCC_VERSION_PATCH) "." KCC_STRINGIZE(KCC_VERSION_BUILD)

#define KCC_COMPANY_NAME "Varnel Corporation"
#define KCC_PRODUCT_NAME "KCCSystemInfo"

#endif
