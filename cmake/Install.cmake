# SPDX-License-Identifier: GPL-2.0-or-later
# Install rules and the Debian package.
#
# Default: the per-user plug-in folder OBS searches on Linux,
#   $HOME/.config/obs-studio/plugins/obs-kestrune/{bin/64bit,data}
# KESTRUNE_SYSTEM_INSTALL=ON: the layout of the distribution's OBS,
#   <prefix>/lib/<arch>/obs-plugins/obs-kestrune.so
#   <prefix>/share/obs/obs-plugins/obs-kestrune/locale/*.ini

set(kestrune_user_prefix "$ENV{HOME}/.config/obs-studio/plugins/obs-kestrune")
if(KESTRUNE_SYSTEM_INSTALL)
    set(kestrune_default_prefix /usr)
else()
    set(kestrune_default_prefix "${kestrune_user_prefix}")
endif()

# Follow the option while the prefix is still one we chose; a prefix the user
# gave on the command line is left alone.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (DEFINED KESTRUNE_CHOSEN_PREFIX AND CMAKE_INSTALL_PREFIX STREQUAL KESTRUNE_CHOSEN_PREFIX))
    set(CMAKE_INSTALL_PREFIX "${kestrune_default_prefix}" CACHE PATH "Install prefix" FORCE)
    set(KESTRUNE_CHOSEN_PREFIX "${kestrune_default_prefix}" CACHE INTERNAL "")
endif()

if(KESTRUNE_SYSTEM_INSTALL)
    if(CMAKE_LIBRARY_ARCHITECTURE)
        set(kestrune_module_dir "lib/${CMAKE_LIBRARY_ARCHITECTURE}/obs-plugins")
    else()
        set(kestrune_module_dir "lib/obs-plugins")
    endif()
    set(kestrune_data_dir "share/obs/obs-plugins/obs-kestrune")
else()
    set(kestrune_module_dir "bin/64bit")
    set(kestrune_data_dir "data")
endif()

install(TARGETS obs-kestrune
        LIBRARY DESTINATION "${kestrune_module_dir}" COMPONENT plugin)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/data/locale"
        DESTINATION "${kestrune_data_dir}" COMPONENT plugin
        FILES_MATCHING PATTERN "*.ini")

if(NOT KESTRUNE_SYSTEM_INSTALL)
    # A package of a home folder makes no sense: `cpack` needs the system layout.
    return()
endif()

# Debian keeps a package's licence as its copyright file.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION share/doc/obs-kestrune
        RENAME copyright COMPONENT plugin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME obs-kestrune)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "OBS-Kestrune developers")
set(CPACK_PACKAGE_CONTACT "OBS-Kestrune developers <kestrune@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OBS Studio plug-in: save and restore dock layout snapshots")
set(CPACK_PACKAGE_DESCRIPTION "Saves the arrangement of OBS Studio's docks as named snapshots \
and puts them back from a manager dialog in the Tools menu or by hotkeys.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRUNE_HOMEPAGE}")
find_program(KESTRUNE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KESTRUNE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# OBS before 30 is built with Qt 5 and cannot load a Qt 6 module.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "obs-studio (>= 30)")
include(CPack)
