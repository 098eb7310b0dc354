# The message block: messages.txt packed into a C++ source of the build tree by pack_messages.py, which runs on the
# build machine for every build, cross builds included.
find_package(Python3 3.8 REQUIRED COMPONENTS Interpreter)

set(QZ_MESSAGE_TEXTS ${CMAKE_SOURCE_DIR}/foundation/messages/messages.txt)
set(QZ_MESSAGE_PACKER ${CMAKE_SOURCE_DIR}/foundation/messages/pack_messages.py)
set(QZ_MESSAGE_BLOCK ${CMAKE_BINARY_DIR}/generated/foundation/message_block_data.cpp)

add_custom_command(
  OUTPUT ${QZ_MESSAGE_BLOCK}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/foundation
  COMMAND Python3::Interpreter ${QZ_MESSAGE_PACKER} ${QZ_MESSAGE_TEXTS} ${QZ_MESSAGE_BLOCK}
  DEPENDS ${QZ_MESSAGE_PACKER} ${QZ_MESSAGE_TEXTS}
  COMMENT "Packing the message texts"
  VERBATIM)
target_sources(qzcore PRIVATE ${QZ_MESSAGE_BLOCK})
