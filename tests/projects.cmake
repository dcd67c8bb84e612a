# The catalogue test also loads the soft.dat that ships in data/. Wine maps
# the Linux root to Z:, so the absolute source path works there too.
if(TARGET torvane_catalogue_test)
  target_compile_definitions(torvane_catalogue_test PRIVATE
                             TORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
