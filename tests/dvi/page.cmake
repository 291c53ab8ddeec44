morvex_test(test_dvi_page
  SOURCES register_stack_test.cpp page_fonts_test.cpp dvipage_test.cpp
  LIBS morvex_dvi)
morvex_test(test_dvi_page_e2e SOURCES page_e2e_test.cpp LIBS morvex_dvi)
