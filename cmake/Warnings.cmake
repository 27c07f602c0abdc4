function(vexmoor_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(WIN32)
    # mingw-w64's GCC 12 warns falsely about overlapping copies inside
    # libstdc++'s string code.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VEXMOOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
