# The Debian package: `cpack -G DEB` in a build folder (scripts/package does it and checks the
# result). It holds what `cmake --install` puts under /usr: the program, the plugin folder and the
# desktop files. Library dependencies come from dpkg-shlibdeps on the installed binaries; what
# dpkg-shlibdeps cannot see (Qt loads them at run time) is recommended by name.
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "The Korvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for writing, testing and debugging regular expressions")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvane colours a regular expression element by element, shows its structure tree and\n"
    "every group's capture, builds traceable replace results, steps through the matcher and\n"
    "counts how often each element was tried. The standard plugin converts patterns to and\n"
    "from string literals, writes sample code and rewrites patterns.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Korvane developers <maintainers@korvane.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plugin's references to the program's exported API are meant to stay undefined in the
# library; dpkg-shlibdeps only warns about them.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Qt's translations of its standard dialogs (Simplified Chinese) and its platform themes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-qpa-plugins")
# The other languages' engines the Flavours pane and --flavours compare a pattern with: each is
# run in a process of its own when it is installed, and listed as not installed otherwise, so
# none is required.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
    "nodejs, python3, python3-regex, openjdk-17-jre-headless | default-jre-headless, mono-runtime, libmono-system4.0-cil, ruby, php-cli, perl")

include(CPack)
