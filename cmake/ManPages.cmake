# A manual page for each program the package puts in /usr/bin, made by help2man from the program's
# own --help and gzipped as Debian wants them (-9n: no name or time stamp inside). They are built
# with the programs, so that the package and `cmake --install` find them; a sanitizer build, which
# is never packaged, makes none.
#   firnadesk_manpages(OUT_VAR program "one-line description" ...)
function(firnadesk_manpages out_var)
  set(pages)
  if(FIRNADESK_ASAN OR FIRNADESK_TSAN)
    set(${out_var} ${pages} PARENT_SCOPE)
    return()
  endif()
  find_program(FIRNADESK_HELP2MAN help2man)
  if(NOT FIRNADESK_HELP2MAN)
    message(WARNING "help2man not found (scripts/setup.sh installs it): no manual pages are made, "
                    "and the package cannot be built")
    set(${out_var} ${pages} PARENT_SCOPE)
    return()
  endif()
  set(folder ${PROJECT_BINARY_DIR}/man)
  file(MAKE_DIRECTORY ${folder})
  set(args ${ARGN})
  while(args)
    list(POP_FRONT args program description)
    set(page ${folder}/${program}.1)
    # The window reads its --help before it needs a display, but Qt is kept off any real one.
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
              ${FIRNADESK_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
              --name=${description} --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program}
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND pages ${page}.gz)
  endwhile()
  add_custom_target(firnadesk_manpages ALL DEPENDS ${pages})
  set(${out_var} ${pages} PARENT_SCOPE)
endfunction()
