# The target pipelines need the decoders and the writers.
target_sources(wavorax_engine PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Pipelines.cpp)
target_link_libraries(wavorax_engine PUBLIC wavorax_decoder_base wavorax_encoders)
# The MP4 pipeline carries the source's front cover over.
target_link_libraries(wavorax_engine PRIVATE wavorax_cover_art)
