# The Debian package of both programs, built by CPack's DEB generator (scripts/package):
# build/orvalan-config_<version>_<architecture>.deb. What goes in is what `cmake --install`
# installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvalan-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvalan)
set(CPACK_PACKAGE_CONTACT "Orvalan Dev <dev@orvalan.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find KVX-770B storage devices and set their IP address")
set(CPACK_PACKAGE_DESCRIPTION [=[
orvalan-config lists the KVX-770B storage devices on the networks of this
computer, found through the devices' own UDP protocol, and gives a device a
new IP address and netmask, authenticated with its access password. It opens
a device's web pages and its network share.

orvalan-ndcp does the same from scripts, with JSON or CSV output.]=])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian's policy: no debugging symbols in the package, folders 0755 whatever the umask.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
