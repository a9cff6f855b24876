# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build, with the
# standard library's own checks: without _GLIBCXX_SANITIZE_VECTOR a write one past the end of a
# vector with spare capacity goes unnoticed.
if(PINTOVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_compile_definitions(_GLIBCXX_ASSERTIONS _GLIBCXX_SANITIZE_VECTOR=1)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
