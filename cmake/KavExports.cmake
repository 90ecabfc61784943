# The public interface of the library: every function or variable that a
# public header declares with KAV_API. Run as a script:
#   cmake -DHEADERS=a.h|b.h -DOUT=kav.map -P KavExports.cmake
# writes the linker version script that exports those names and nothing else;
#   cmake -DHEADERS=... -DOUT=names.txt -DLIST=ON -P KavExports.cmake
# writes the names, one a line.

function(kav_public_names headers out_var)
  set(names)
  foreach(h ${headers})
    file(READ ${h} text)
    # Comments and preprocessor lines hold no declarations.
    string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
    string(REGEX REPLACE "//[^\n]*" " " text "${text}")
    string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\\1" text "${text}")
    # A declaration runs from KAV_API to its ';' (or a body's '{'); the name
    # is the identifier before its first '(' or, for a variable, its last one.
    string(REGEX MATCHALL "KAV_API[^;{]*" decls "${text}")
    foreach(d ${decls})
      if(d MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t\r\n]*\\(")
        list(APPEND names ${CMAKE_MATCH_1})
      elseif(d MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t\r\n]*(\\[[^]]*\\][ \t\r\n]*)*(=.*)?$")
        list(APPEND names ${CMAKE_MATCH_1})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED HEADERS AND DEFINED OUT)
  string(REPLACE "|" ";" headers "${HEADERS}")
  kav_public_names("${headers}" names)
  if(LIST)
    string(REPLACE ";" "\n" body "${names}")
    set(content "${body}\n")
  else()
    set(content "/* Generated from the public headers: the library's interface. */\n{\n  global:\n")
    foreach(n ${names})
      string(APPEND content "    ${n};\n")
    endforeach()
    string(APPEND content "  local:\n    *;\n};\n")
  endif()
  file(WRITE ${OUT} "${content}")
endif()
