# A man page formats with `man --warnings` without a single warning, and names
# every option that its command's -h lists.
#   cmake -DPAGE=man/windchill.1 [-DCMD=build/bin/windchill] -P check_man.cmake
find_program(MAN man)
if(NOT MAN)
  message(FATAL_ERROR "man is not installed (scripts/setup.sh installs man-db and groff-base)")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat PAGER=cat
    ${MAN} --warnings -E UTF-8 -l ${PAGE}
  OUTPUT_VARIABLE text ERROR_VARIABLE warnings RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man --warnings ${PAGE} (status ${rc}):\n${warnings}")
endif()
if(NOT text MATCHES "NAME" OR NOT text MATCHES "SYNOPSIS")
  message(FATAL_ERROR "${PAGE} has no NAME or SYNOPSIS section:\n${text}")
endif()

if(CMD)
  execute_process(COMMAND ${CMD} -h OUTPUT_VARIABLE help ERROR_VARIABLE help_err
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CMD} -h ended with ${rc}:\n${help}${help_err}")
  endif()
  string(REGEX MATCHALL "\n +-[A-Za-z]+" options "\n${help}")
  if(NOT options)
    message(FATAL_ERROR "${CMD} -h lists no options:\n${help}")
  endif()
  set(missing)
  foreach(o ${options})
    string(STRIP "${o}" o)
    # In the formatted page an option reads "-fp" followed by a blank, a
    # comma, a bracket or the end of the line.
    string(REGEX REPLACE "([][+*.?^$])" "\\\\\\1" re "${o}")
    if(NOT text MATCHES "(^|[^A-Za-z0-9-])${re}([^A-Za-z0-9]|$)")
      list(APPEND missing ${o})
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "${PAGE} does not describe ${missing}, which ${CMD} -h lists")
  endif()
endif()
