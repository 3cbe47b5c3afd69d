# Read by cpack. dpkg-shlibdeps (dpkg-dev) fills in libc6, libstdc++6 and
# libgcc-s1 with the versions the binaries need; CPack also needs `file` for
# it. Without either, the package keeps the Qt dependencies only and says so.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(HORVEX_SHLIBDEPS dpkg-shlibdeps)
  find_program(HORVEX_FILE file)
  if(HORVEX_SHLIBDEPS AND HORVEX_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    message(WARNING "dpkg-shlibdeps or file not found (packages dpkg-dev, file): "
                    "the .deb will not list libc6 and libstdc++6.")
  endif()
endif()
