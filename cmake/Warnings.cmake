# Our own code builds without warnings. LUMENOR_WERROR turns them into errors; the test script and
# CI switch it on, a user's build never fails on a warning. Third-party headers come in as system
# includes.
option(LUMENOR_WERROR "Treat warnings in Lumenor's own code as errors" OFF)

function(lumenor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion $<$<BOOL:${LUMENOR_WERROR}>:-Werror>)
endfunction()
