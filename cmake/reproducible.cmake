# Reproducible binaries (scripts/release): no build folder in any string the compiler writes
# (__FILE__, debug paths), so that two clones of one commit in different folders give the same bytes.
# Included before the targets are made, so that every one of them gets these options.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
if(WIN32)
  # The PE header's time stamp; the Linux linker writes none.
  add_link_options(-Wl,--no-insert-timestamp)
endif()
