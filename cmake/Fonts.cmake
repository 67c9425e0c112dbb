# Fonts are a build output: misaki_gothic.ttf is copied from Debian's
# fonts-misaki, the two dot fonts are made from Debian's bitmap fonts by
# tools/build_fonts.py. They land in fonts/ beside the executable.
# font_samples.txt (expected glyph renderings for the font tests) stays in
# the build directory, outside fonts/.
set(TAVIX_FONT_DIR ${PROJECT_BINARY_DIR}/fonts)
set(TAVIX_FONT_SAMPLES ${PROJECT_BINARY_DIR}/font_samples.txt)
set(TAVIX_MISAKI_SOURCE /usr/share/fonts/truetype/misaki/misaki_gothic.ttf CACHE FILEPATH "Debian's misaki_gothic.ttf")
set(TAVIX_FONT_OUTPUTS
    ${TAVIX_FONT_DIR}/misaki_gothic.ttf
    ${TAVIX_FONT_DIR}/JF-Dot-MPlus10.ttf
    ${TAVIX_FONT_DIR}/JF-Dot-Shinonome16.ttf
    ${TAVIX_FONT_SAMPLES})
add_custom_command(
  OUTPUT ${TAVIX_FONT_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVIX_FONT_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${TAVIX_MISAKI_SOURCE} ${TAVIX_FONT_DIR}/misaki_gothic.ttf
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tools/build_fonts.py
          --out ${TAVIX_FONT_DIR} --samples ${TAVIX_FONT_SAMPLES}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/build_fonts.py ${TAVIX_MISAKI_SOURCE}
  COMMENT "Building the dot fonts"
  VERBATIM)
add_custom_target(tavix_fonts ALL DEPENDS ${TAVIX_FONT_OUTPUTS})
