# Run conversion and the text state machine.
morvex_test(test_svg_conv SOURCES conv_test.cpp LIBS morvex_svg)
morvex_test(test_svg_text SOURCES text_test.cpp LIBS morvex_svg)
# Whole pages of real documents through the built program.
morvex_test(test_svg_text_pages SOURCES text_e2e_test.cpp LIBS morvex_svg)
