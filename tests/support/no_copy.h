// The base of the tests' guards and owners: each releases what it holds once, so none is ever copied.
#ifndef KCC_TESTS_SUPPORT_NO_COPY_H
#define KCC_TESTS_SUPPORT_NO_COPY_H

namespace kcctest {

class NoCopy {
public:
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;

protected:
  NoCopy() = default;
  ~NoCopy() = default;
};

} // namespace kcctest

#endif
