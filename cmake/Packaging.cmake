# The Debian package: `scripts/package` (cpack in build/release) makes
# build/package/lumenor_<version>_<arch>.deb. Its Depends come from the binaries' own shared
# libraries through dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumenor)
set(CPACK_PACKAGE_VENDOR Vantris)
set(CPACK_PACKAGE_CONTACT "Vantris <vantris@lumenor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for SGI image files")
# Lines of the long description stay within 80 columns, and none starts with a dot but the
# paragraph break.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Lumenor shows pictures in the SGI image file format\n"
       "(.rgb, .bw, .rgba, .sgi): grey, grey with alpha, RGB and RGBA, uncompressed\n"
       "or run-length encoded, up to 32767 by 32767 pixels, painted from the bottom\n"
       "up as they load. It zooms from 1/32 to 32 times, fits a picture to the\n"
       "window, and shows one picture pixel on one screen pixel at 100 % on every\n"
       "screen. It walks the picture's folder in natural order, plays a folder of\n"
       "frames as a flipbook, copies a picture or exports it as PNG, and shows\n"
       "what its header says and the values under the pointer.\n"
       ".\n"
       "The package also holds lumenor-decode, which converts SGI files to PNG or\n"
       "PPM without a window, one at a time or a batch into a folder on every\n"
       "core, and a thumbnailer that gives file managers previews of SGI files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.lumenor.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without Qt's Wayland plugin a Wayland desktop runs Lumenor through XWayland, which enlarges and
# blurs every picture on a scaled screen.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
include(CPack)
