# Makes morvex.map from the TeX installation's map of Type 1 fonts:
#   cmake -DSOURCE=<pdftex.map> -DOUTPUT=<morvex.map> -P make_map.cmake
# The line format is the same; a comment line records where it came from.
if(NOT EXISTS "${SOURCE}")
  message(FATAL_ERROR "The TeX font map ${SOURCE} does not exist; run 'kpsewhich pdftex.map' to check the TeX installation.")
endif()
file(READ "${SOURCE}" content)
string(LENGTH "${content}" size)
if(size EQUAL 0)
  message(FATAL_ERROR "The TeX font map ${SOURCE} is empty.")
endif()
file(WRITE "${OUTPUT}.tmp" "% morvex.map: made from ${SOURCE}\n${content}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
