# One sanitizer set per build tree, applied globally so that every library and test
# is instrumented the same way.
if(VANTRO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(VANTRO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VANTRO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VANTRO_SANITIZE must be empty, 'address' or 'thread'")
endif()
