morvex_test(test_dvibase SOURCES dvibase_test.cpp LIBS morvex_dvi)
