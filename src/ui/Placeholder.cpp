namespace vorbel_ui_placeholder {}
