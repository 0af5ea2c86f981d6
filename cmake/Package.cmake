# Man pages for every install, and the Debian package that scripts/package.sh
# builds with CPack from the same install rules.

# Man pages, compressed the way Debian wants them (no name or time stamp).
find_program(QX_GZIP gzip REQUIRED)
set(QX_MAN_PAGES quillex quillex-cli qxbar-host)
set(QX_MAN_OUTPUTS)
foreach(page IN LISTS QX_MAN_PAGES)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${QX_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/data/man/${page}.1 > ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/man/${page}.1
    VERBATIM)
  list(APPEND QX_MAN_OUTPUTS ${out})
endforeach()
set(QX_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(OUTPUT ${QX_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  COMMAND ${QX_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/data/package/changelog > ${QX_CHANGELOG_GZ}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/package/changelog
  VERBATIM)
add_custom_target(qx-docs ALL DEPENDS ${QX_MAN_OUTPUTS} ${QX_CHANGELOG_GZ})
install(FILES ${QX_MAN_OUTPUTS} DESTINATION share/man/man1)
# Builds of single targets (the sanitizer builds) can still be installed.
if(TARGET quillex-cli)
  add_dependencies(quillex-cli qx-docs)
endif()

# What only the package installs (component "system", left out of a plain
# `cmake --install`): the host manifests for every user of the machine and
# the files Debian wants in /usr/share/doc. Chromium and Chrome read theirs
# from /etc; a link there to the file under /usr keeps it out of the package's
# configuration files, so that removing the package removes it too.
install(FILES ${CMAKE_SOURCE_DIR}/data/package/copyright ${QX_CHANGELOG_GZ}
  DESTINATION share/doc/quillex COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/data/package/lintian-overrides
  DESTINATION share/lintian/overrides RENAME quillex COMPONENT system EXCLUDE_FROM_ALL)
if(TARGET qxbar-host)
  install(CODE "
    set(host \"\${CMAKE_INSTALL_PREFIX}/${QX_HOST_FOLDER}/qxbar-host\")
    set(root \"\$ENV{DESTDIR}\")
    set(chromium \"\${CMAKE_INSTALL_PREFIX}/${QX_HOST_FOLDER}/chromium/quillex.qxbar.json\")
    set(firefox \"\${CMAKE_INSTALL_PREFIX}/lib/mozilla/native-messaging-hosts/quillex.qxbar.json\")
    foreach(browser chromium firefox)
      get_filename_component(folder \"\${root}\${\${browser}}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${folder}\")
      execute_process(COMMAND \"$<TARGET_FILE:qxbar-host>\" --manifest \${browser} \"\${host}\"
        OUTPUT_FILE \"\${root}\${\${browser}}\" RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR \"qxbar-host did not write the \${browser} host manifest\")
      endif()
    endforeach()
    foreach(folder /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts)
      file(MAKE_DIRECTORY \"\${root}\${folder}\")
      file(CREATE_LINK \"\${chromium}\" \"\${root}\${folder}/quillex.qxbar.json\" SYMBOLIC)
    endforeach()"
    COMPONENT system EXCLUDE_FROM_ALL)
endif()

# The package: one quillex_VERSION_amd64.deb holding both components. Its
# dependencies come from the binaries (dpkg-shlibdeps). Packaging stages
# into DESTDIR, so the install steps that write the user's settings and
# browser folders leave them alone.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillex developers <maintainers@users.noreply.c-seed-8690a167.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "focused web searcher for the desktop")
set(CPACK_PACKAGE_DESCRIPTION "Quillex crawls the web from start URLs or search engines with many
concurrent connections, finds every occurrence of a search item in the
pages' text, tests it against include words, exclude words and a target
price, and lists what passes with the words highlighted.

The package holds the desktop program quillex, the headless crawler
quillex-cli, and the QuillEx Search Bar for Chromium, Google Chrome and
Firefox with its native messaging host.")
set(CPACK_DEBIAN_FILE_NAME "quillex_${PROJECT_VERSION}_amd64.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified system)
# cpack installs what scripts/package.sh built; it need not build the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
