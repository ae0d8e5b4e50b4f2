# The layer rule, kept by the build. Sources include a project header by its folder
# ("radio/RadioSequences.h"), and no target sees the whole source tree: each layer's library
# publishes only its own folder, through a view in the build tree holding one link to it, and
# its users see it because they link the library. A folder therefore sees its own headers and
# those of the layers it links (target_link_libraries in its CMakeLists.txt) and nothing else:
# an #include of a layer above it, or of one beside it, fails to build with "No such file".
# tests/layers/ checks that each layer sees exactly the folders the layer table allows.

set(QELM_LAYER_VIEWS ${CMAKE_BINARY_DIR}/layers)

# qelm_layer(target folder): target is the library of the layer in folder.
function(qelm_layer target folder)
  set(view ${QELM_LAYER_VIEWS}/${folder})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${view})
  set_property(GLOBAL APPEND PROPERTY QELM_LAYER_TARGETS "${folder}=${target}")
endfunction()

# Writes, for the layer check, each layer's folder and the include folders its sources are
# built with (those of its own target and of every library it links), one layer a line:
# "radio=/build/layers/radio|/build/layers/serial|...".
function(qelm_write_layer_includes file)
  get_property(layers GLOBAL PROPERTY QELM_LAYER_TARGETS)
  set(content "")
  foreach(entry ${layers})
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 target)
    string(APPEND content "${folder}=$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,|>\n")
  endforeach()
  file(GENERATE OUTPUT ${file} CONTENT "${content}")
endfunction()
