# Run by CPack alone, into its staging folder (DESTDIR): the files only a Debian package carries,
# under the package's prefix /usr.
file(INSTALL "@CMAKE_CURRENT_BINARY_DIR@/changelog.Debian.gz" DESTINATION /usr/share/doc/velmor)
file(INSTALL "@CMAKE_CURRENT_SOURCE_DIR@/lintian-overrides"
     DESTINATION /usr/share/lintian/overrides RENAME velmor)
