# fluxaro_warnings(target): the project's warning set, errors in CI builds.
function(fluxaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
    -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wformat=2 -Wimplicit-fallthrough)
  if(FLUXARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
