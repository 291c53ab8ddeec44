# Font map lookup, glyph extraction and the SVG fonts file. The tests that
# run Ghostscript use the configuration directory of the build.
morvex_test(test_svg_psmap SOURCES psmap_test.cpp LIBS morvex_svg)
morvex_test(test_svg_svgfont SOURCES svgfont_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_ps SOURCES fonts_ps_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_pages SOURCES fonts_e2e_test.cpp LIBS morvex_svg)
foreach(t test_svg_svgfont test_svg_fonts_ps test_svg_fonts_pages)
  add_dependencies(${t} morvex_config)
endforeach()
