# Font map lookup, glyph extraction and the SVG fonts file.
morvex_test(test_svg_psmap SOURCES psmap_test.cpp LIBS morvex_svg)
morvex_test(test_svg_svgfont SOURCES svgfont_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_ps SOURCES fonts_ps_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_pages SOURCES fonts_e2e_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_ps_encoding SOURCES fonts_ps_encoding_test.cpp LIBS morvex_svg)
morvex_test(test_svg_fonts_ps_batch SOURCES fonts_ps_batch_test.cpp LIBS morvex_svg)
