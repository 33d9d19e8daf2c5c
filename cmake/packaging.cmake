# What the packages take from a build (scripts/package.sh makes them).
#
# Linux: install rules and CPack's DEB generator for palmdb_<version>_<arch>.deb:
# the program in /usr/bin, the plug-in in /usr/lib/palmdb (where the program
# looks for it, ../lib/palmdb from its own folder), the manual page, the
# copyright file, the changelog and the manifest's JSON Schema.
#
# Windows: palmdb-package.cmake in the build folder, which names the version,
# the plug-in and the program of this build for the Windows zip
# (packaging/windows), which puts the 32-bit and the 64-bit build together.

set(PALMDB_MAINTAINER "palmdb developers <palmdb@example.org>")

if(WIN32)
  math(EXPR palmdb_bits "${CMAKE_SIZEOF_VOID_P} * 8")
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/palmdb-package.cmake CONTENT
"# Written by CMake for packaging/windows: what this build contributes.
set(PALMDB_BUILD_VERSION \"${PROJECT_VERSION}\")
set(PALMDB_BUILD_BITS ${palmdb_bits})
set(PALMDB_BUILD_PLUGIN \"$<TARGET_FILE:palmdb_plugin>\")
set(PALMDB_BUILD_PROGRAM \"$<TARGET_FILE:palmdb_cli>\")
")
  return()
endif()

# The manual page and the Debian files, with the version filled in and
# compressed the way Debian wants: gzip -9, no name or time in the header.
find_program(PALMDB_GZIP gzip REQUIRED)
set(package_dir ${CMAKE_BINARY_DIR}/package)
foreach(source palmdb.1.in debian/changelog.in debian/copyright)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/packaging/${source})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/palmdb.1.in ${package_dir}/palmdb.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${package_dir}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${package_dir}/copyright @ONLY)
foreach(name palmdb.1 changelog)
  execute_process(COMMAND ${PALMDB_GZIP} -9 -n -c ${package_dir}/${name}
                  OUTPUT_FILE ${package_dir}/${name}.gz RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${package_dir}/${name}")
  endif()
endforeach()

install(TARGETS palmdb_cli RUNTIME DESTINATION bin)
# A plug-in loaded by path, not a shared library that programs link with:
# a private folder, and no execute bits, as for shared libraries in Debian.
install(TARGETS palmdb_plugin LIBRARY DESTINATION lib/palmdb
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# A stripped install (CPack's) also drops the compiler's notes, as Debian's
# own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(file bin/palmdb lib/palmdb/$<TARGET_FILE_NAME:palmdb_plugin>)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\"
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"strip failed on \${file}\")
      endif()
    endforeach()
  endif()")
install(FILES ${package_dir}/palmdb.1.gz DESTINATION share/man/man1)
install(FILES ${package_dir}/copyright ${package_dir}/changelog.gz DESTINATION share/doc/palmdb)
# The JSON Schema of the manifest that palmdb unpack writes.
install(FILES ${PROJECT_SOURCE_DIR}/docs/database.schema.json DESTINATION share/doc/palmdb)
# CPack's DEB generator adds ldconfig calls to postinst and postrm for any
# shared object below /usr/lib; the plug-in's private folder is not one that
# ldconfig reads, so the calls do nothing, and the override says so.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION share/lintian/overrides RENAME palmdb)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME palmdb)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "palmdb developers")
set(CPACK_PACKAGE_CONTACT ${PALMDB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PALMDB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps works out Depends from the libraries the program and the
# plug-in link with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"list and extract Palm OS databases as if they were archives
palmdb opens Palm OS record databases (.pdb: address books, memos, e-books)
and resource databases (.prc: applications) through the palmdb plug-in
library, the way a two-panel file manager does, and lists or extracts every
record or resource as a file, its bytes unchanged.
.
The plug-in library itself, /usr/lib/palmdb/palmdb.wcx, can be loaded by file
managers that load packer plug-ins of this kind.")
include(CPack)
