# The decoder choice rule: needs both the program's own decoders and the audio-library layer.
add_library(wavorax_decoder_choice STATIC ${CMAKE_CURRENT_SOURCE_DIR}/DecoderChoice.cpp)
target_include_directories(wavorax_decoder_choice PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(wavorax_decoder_choice PUBLIC wavorax_own_decoders wavorax_audiolib wavorax_cd)
target_link_libraries(wavorax_decoders INTERFACE wavorax_decoder_choice)
