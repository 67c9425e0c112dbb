# The firmware page address reaches the code through a generated header: the
# address ends in a "#" fragment, which a -D definition cannot carry.
configure_file(${PROJECT_SOURCE_DIR}/cmake/firmware_page_url.h.in
               ${PROJECT_BINARY_DIR}/generated/app/firmware_page_url.h @ONLY)
target_include_directories(tavix PRIVATE ${PROJECT_BINARY_DIR}/generated)
