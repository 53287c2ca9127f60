namespace vorbel_store_placeholder {}
