# SPDX-License-Identifier: GPL-2.0-or-later
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets DBus Concurrent Network Test)
find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)
# The Publisher keeps the saved sign-on password in the desktop's secret store.
find_package(Qt6Keychain REQUIRED)

pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(EXIV2 REQUIRED IMPORTED_TARGET exiv2)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
pkg_check_modules(LIBPROXY REQUIRED IMPORTED_TARGET libproxy-1.0)
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET libmicrohttpd)
pkg_check_modules(SQLITE REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(OPENJPEG REQUIRED IMPORTED_TARGET libopenjp2)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
