# Our own targets get the strict warning set; third-party headers come in as system includes.
# Warnings are errors where we control the compiler (the scripts and CI switch this on); a plain
# build by a packager or a user on a newer or older compiler goes through its new warnings.
option(FIRNADESK_WERROR "Treat compiler warnings in our own code as errors" OFF)

function(firnadesk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(FIRNADESK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
