# Run conversion and the text state machine.
morvex_test(test_svg_conv SOURCES conv_test.cpp LIBS morvex_svg)
morvex_test(test_svg_text SOURCES text_test.cpp LIBS morvex_svg)
