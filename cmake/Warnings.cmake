# Our own targets get the strict warning set; third-party headers come in as system includes.
function(firnadesk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
