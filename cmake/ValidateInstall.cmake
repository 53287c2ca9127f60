# cmake -DBUILD_DIR=<build> -DDESTDIR=<scratch> -P ValidateInstall.cmake
# Installs the build into a scratch DESTDIR under /usr, checks that every
# installed file is there, and runs the desktop-entry and AppStream validators
# over the installed files.
cmake_minimum_required(VERSION 3.25)
if(NOT BUILD_DIR OR NOT DESTDIR)
  message(FATAL_ERROR "usage: cmake -DBUILD_DIR=<build> -DDESTDIR=<scratch> -P ValidateInstall.cmake")
endif()

file(REMOVE_RECURSE ${DESTDIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DESTDIR} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status})")
endif()

set(root ${DESTDIR}/usr)
set(expected
  bin/vorbel bin/vorbel-cli bin/vorbel-sse
  share/applications/app.vorbel.Vorbel.desktop
  share/metainfo/app.vorbel.Vorbel.metainfo.xml
  share/icons/hicolor/scalable/apps/app.vorbel.Vorbel.svg
  share/icons/hicolor/48x48/apps/app.vorbel.Vorbel.png
  share/icons/hicolor/128x128/apps/app.vorbel.Vorbel.png
  share/icons/hicolor/256x256/apps/app.vorbel.Vorbel.png
  share/man/man1/vorbel.1 share/man/man1/vorbel-cli.1 share/man/man1/vorbel-sse.1)
foreach(path ${expected})
  if(NOT EXISTS ${root}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(GLOB_RECURSE installed RELATIVE ${root} ${root}/*)
foreach(path ${installed})
  if(NOT path IN_LIST expected)
    message(FATAL_ERROR "installed but not expected: ${path}")
  endif()
endforeach()

foreach(check
    "desktop-file-validate;${root}/share/applications/app.vorbel.Vorbel.desktop"
    "appstreamcli;validate;--no-net;${root}/share/metainfo/app.vorbel.Vorbel.metainfo.xml")
  execute_process(COMMAND ${check} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${check}:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE ${DESTDIR})
message(STATUS "Installed tree and its desktop files are valid")
