# `make package`: a .deb for Debian 12 and its derivatives. The libraries the
# programs link come from dpkg-shlibdeps; the Qt plugins and QML modules are
# loaded at run time, where dpkg-shlibdeps cannot see them, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorbel)
set(CPACK_PACKAGE_VENDOR "The Vorbel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop chat client for the OpenAI chat-completions API")
set(CPACK_PACKAGE_DESCRIPTION
  "Vorbel keeps assistants and conversations in a local store, streams replies,\n"
  "renders them as Markdown and lets the model call functions you enable\n"
  "(JavaScript, Wolfram Alpha, shell commands, a Pinecone memory). Keys are kept\n"
  "in the system keyring. Includes vorbel-cli and vorbel-sse.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "The Vorbel developers <dev@vorbel.app>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vorbel.app)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtqml-workerscript, qml6-module-qt-labs-qmlmodels, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | kwalletmanager, qt6-wayland")
include(CPack)
