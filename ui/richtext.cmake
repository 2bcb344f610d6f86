# The rich-text reader and the document model, without Qt: built whether or not the windows are,
# so the fuzz build (no Qt) has it too.
add_library(kelvak_richtext STATIC
  ${CMAKE_CURRENT_LIST_DIR}/code_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rich_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rich_text_escape.cpp
  ${CMAKE_CURRENT_LIST_DIR}/document_reader.cpp
)
target_include_directories(kelvak_richtext PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kelvak_richtext PRIVATE kelvak_warnings)
