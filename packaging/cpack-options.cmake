# Read by cpack. dpkg-shlibdeps (dpkg-dev) fills in libc6, libstdc++6 and
# libgcc-s1 with the versions the binaries need; CPack also needs `file` for
# it. Without either, the package keeps the Qt dependencies only and says so.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(HORVEX_SHLIBDEPS dpkg-shlibdeps)
  find_program(HORVEX_FILE file)
  if(HORVEX_SHLIBDEPS AND HORVEX_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The scan lists each Qt library the binaries link, and libical3; what
    # it cannot see is the platform plugin, loaded at run time, and Qt's
    # Spanish words, read at start. Qt 6.4 or later follows from it: every
    # Qt 6 base package needs the plugins' own Qt version.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins (>= 6.4), qt6-translations-l10n (>= 6.4)")
  else()
    message(WARNING "dpkg-shlibdeps or file not found (packages dpkg-dev, file): "
                    "the .deb will not list libc6 and libstdc++6.")
  endif()
endif()
