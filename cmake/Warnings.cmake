# Applied to our own targets only; third-party headers come in as SYSTEM.
function(vantro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow=local -Wnon-virtual-dtor)
  if(VANTRO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
