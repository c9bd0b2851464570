# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package is built from debian/ by dpkg-buildpackage (make package, tools/build-package).
# The version lives in three places that must agree: this project's, the top entry of
# debian/changelog (the package's version) and the newest release of the AppStream metainfo
# (what software centres show). A release bumped in one place only stops the configure step.
set(_changelog ${PROJECT_SOURCE_DIR}/debian/changelog)
set(_metainfo ${PROJECT_SOURCE_DIR}/app/window/org.plotmira.Plotmira.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_changelog} ${_metainfo})
file(STRINGS ${_changelog} _top LIMIT_COUNT 1)
string(REGEX MATCH "^plotmira \\(([^)]+)\\)" _ "${_top}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "debian/changelog is at version '${CMAKE_MATCH_1}', the project at "
                        "${PROJECT_VERSION}: add a changelog entry (dch -v ${PROJECT_VERSION})")
endif()
file(STRINGS ${_metainfo} _release REGEX "<release " LIMIT_COUNT 1)
string(REGEX MATCH "version=\"([^\"]+)\"" _ "${_release}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "the metainfo's newest release is '${CMAKE_MATCH_1}', the project is at "
                        "${PROJECT_VERSION}: add a <release> to ${_metainfo}")
endif()
