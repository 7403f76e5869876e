# The dialog's display-text rules: no Windows, so they build and are tested natively as well.
add_library(kcc_dialog_pure STATIC ${CMAKE_CURRENT_LIST_DIR}/value_format.cpp)
target_link_libraries(kcc_dialog_pure PUBLIC kcc_text)
