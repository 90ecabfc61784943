# Installation, in one place: the library (static, or shared with
# -DBUILD_SHARED_LIBS=ON, exporting only its public interface), the public
# headers under include/kav, the commands (every src/cmd/<name>.cpp that has a
# target), the data files under share/kav, the man pages (man/*.1), a
# pkg-config file and a CMake package: find_package(kav) gives kav::kav.
# Included from the top CMakeLists.txt once the library is declared; what
# depends on targets declared later runs at the end of the top directory.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KAV_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/kav)
set(KAV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kav)

# --- The data directory -------------------------------------------------------
# With file_path unset, a program looks for its data files in share/kav of the
# installation it was loaded from (relative to the shared library, or to the
# program when the library is linked in), then in the configured directory.
file(RELATIVE_PATH kav_data_from_lib ${CMAKE_INSTALL_FULL_LIBDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/kav)
file(RELATIVE_PATH kav_data_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/kav)
set_property(SOURCE ${PROJECT_SOURCE_DIR}/src/lib/console/files_data.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS
  KAV_DATA_FROM_LIBDIR="${kav_data_from_lib}"
  KAV_DATA_FROM_BINDIR="${kav_data_from_bin}"
  KAV_INSTALL_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/kav")
# The build tree is laid out the same way: its share/kav is a link to data/,
# so that the uninstalled programs and the tests read the source tree's files.
set(KAV_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
get_filename_component(kav_build_data_bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${kav_data_from_bin}
  ABSOLUTE)
get_filename_component(kav_build_data_lib ${KAV_LIBRARY_OUTPUT_DIRECTORY}/${kav_data_from_lib}
  ABSOLUTE)
foreach(link IN ITEMS ${kav_build_data_bin} ${kav_build_data_lib})
  string(FIND "${link}/" "${CMAKE_BINARY_DIR}/" inside)
  if(inside EQUAL 0)  # never outside the build directory
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/data ${link} SYMBOLIC)
  endif()
endforeach()

# --- The library ----------------------------------------------------------------
set_target_properties(kav PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LIBRARY_OUTPUT_DIRECTORY ${KAV_LIBRARY_OUTPUT_DIRECTORY})
target_include_directories(kav PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
get_target_property(kav_type kav TYPE)
if(kav_type STREQUAL "SHARED_LIBRARY")
  # Only the functions the public headers declare with KAV_API leave the
  # shared library: hidden visibility keeps the library's own C++ inside, and a
  # version script made from the headers keeps the instances of standard
  # library templates inside too.
  set(kav_map ${CMAKE_BINARY_DIR}/kav.map)
  string(REPLACE ";" "|" kav_header_arg "${KAV_PUBLIC_HEADERS}")
  add_custom_command(OUTPUT ${kav_map}
    COMMAND ${CMAKE_COMMAND} "-DHEADERS=${kav_header_arg}" -DOUT=${kav_map}
      -P ${PROJECT_SOURCE_DIR}/cmake/KavExports.cmake
    DEPENDS ${KAV_PUBLIC_HEADERS} ${PROJECT_SOURCE_DIR}/cmake/KavExports.cmake
    COMMENT "Listing the public interface of the shared library" VERBATIM)
  add_custom_target(kav_map DEPENDS ${kav_map})
  add_dependencies(kav kav_map)
  target_link_options(kav PRIVATE -Wl,--version-script=${kav_map})
  if(NOT KAV_SANITIZE)  # the sanitizers' run-time lives in the program
    target_link_options(kav PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET kav APPEND PROPERTY LINK_DEPENDS ${kav_map})
else()
  # A program that links the static library from C links the C++ runtime too.
  target_link_libraries(kav INTERFACE $<INSTALL_INTERFACE:stdc++>)
endif()

install(TARGETS kav EXPORT kavTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The headers themselves, not the build's links to them.
install(FILES ${KAV_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kav)

# --- Data files, man pages, documents ----------------------------------------------
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${KAV_INSTALL_DATADIR})
file(GLOB KAV_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
install(FILES ${KAV_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- What needs every target: commands, dependencies, package files -------------
function(kav_install_finish)
  # The commands: src/cmd/<name>.cpp builds the program <name>.
  file(GLOB cmd_sources ${PROJECT_SOURCE_DIR}/src/cmd/*.cpp)
  set(commands)
  foreach(src ${cmd_sources})
    get_filename_component(name ${src} NAME_WE)
    if(TARGET ${name})
      list(APPEND commands ${name})
    endif()
  endforeach()
  if(commands)
    get_target_property(type kav TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      # An installed command finds the library of its own installation.
      file(RELATIVE_PATH lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
      set_target_properties(${commands} PROPERTIES INSTALL_RPATH "$ORIGIN/${lib_from_bin}")
    endif()
    install(TARGETS ${commands} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()

  # The libraries kav links: plain names (m) and pkg-config modules, which the
  # package configuration and kav.pc ask for again.
  get_target_property(links kav LINK_LIBRARIES)
  get_target_property(interface_links kav INTERFACE_LINK_LIBRARIES)
  set(pkg_deps)
  set(pc_modules)
  set(pc_libs)
  foreach(lib IN LISTS links interface_links)
    if(lib MATCHES "^\\$<LINK_ONLY:(.*)>$")
      set(lib ${CMAKE_MATCH_1})
    endif()
    if(lib MATCHES "^PkgConfig::(.+)$")
      set(prefix ${CMAKE_MATCH_1})
      if(${prefix}_MODULE_NAME)
        list(APPEND pkg_deps "${prefix}=${${prefix}_MODULE_NAME}")
        list(APPEND pc_modules ${${prefix}_MODULE_NAME})
      else()
        message(WARNING "kav links ${lib}, whose pkg-config module is unknown")
      endif()
    elseif(lib MATCHES "::")
      message(WARNING "kav links ${lib}: the installed package does not find it again")
    elseif(lib MATCHES "^[A-Za-z0-9_+-]+$" AND NOT TARGET ${lib} AND NOT lib STREQUAL "stdc++")
      list(APPEND pc_libs -l${lib})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES pkg_deps)
  list(REMOVE_DUPLICATES pc_modules)
  list(REMOVE_DUPLICATES pc_libs)
  set(KAV_PKG_DEPS "${pkg_deps}")

  # pkg-config: relocatable, found from the .pc file's own directory. A static
  # library brings its dependencies (and the C++ runtime) into every link.
  file(RELATIVE_PATH KAV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
    ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" KAV_PC_TO_PREFIX "${KAV_PC_TO_PREFIX}")
  foreach(dir LIBDIR INCLUDEDIR DATADIR)
    if(IS_ABSOLUTE ${CMAKE_INSTALL_${dir}})
      set(KAV_PC_${dir} ${CMAKE_INSTALL_${dir}})
    else()
      set(KAV_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
  endforeach()
  string(REPLACE ";" " " modules "${pc_modules}")
  string(REPLACE ";" " " libs "-lstdc++;${pc_libs}")
  get_target_property(type kav TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(KAV_PC_REQUIRES "Requires.private: ${modules}")
    set(KAV_PC_LIBS "")
    set(KAV_PC_LIBS_PRIVATE "Libs.private: ${libs}")
  else()
    set(KAV_PC_REQUIRES "Requires: ${modules}")
    set(KAV_PC_LIBS " ${libs}")
    set(KAV_PC_LIBS_PRIVATE "")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/kav.pc.in ${CMAKE_BINARY_DIR}/kav.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/kav.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

  # The CMake package.
  install(EXPORT kavTargets NAMESPACE kav:: DESTINATION ${KAV_INSTALL_CMAKEDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kavConfig.cmake.in
    ${CMAKE_BINARY_DIR}/kavConfig.cmake INSTALL_DESTINATION ${KAV_INSTALL_CMAKEDIR}
    PATH_VARS KAV_INSTALL_DATADIR CMAKE_INSTALL_INCLUDEDIR)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/kavConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/kavConfig.cmake ${CMAKE_BINARY_DIR}/kavConfigVersion.cmake
    DESTINATION ${KAV_INSTALL_CMAKEDIR})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kav_install_finish)

# --- Packages: cpack -G DEB, cpack -G TGZ ------------------------------------------
if(PROJECT_IS_TOP_LEVEL)
  set(CPACK_PACKAGE_NAME kav)
  set(CPACK_PACKAGE_VENDOR "kav")
  set(CPACK_PACKAGE_CONTACT "kav developers <kav@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Meteorological toolkit: common library, wind chill and other commands")
  set(CPACK_GENERATOR "TGZ;DEB")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  find_program(KAV_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(KAV_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
  include(CPack)
endif()
