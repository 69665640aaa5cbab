# Icons 107-110 and cursor 105, generated from the text pixel maps in
# res/images at build time. VELMORA_IMAGE_DIR holds the results, for every
# resource script that includes images.rc.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VELMORA_IMAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/images CACHE INTERNAL "")
set(_image_tool ${CMAKE_CURRENT_LIST_DIR}/images/mkimages.py)
set(_images "")
foreach(_spec icon107:icon icon108:icon icon109:icon icon110:icon cursor105:cursor)
    string(REPLACE ":" ";" _parts ${_spec})
    list(GET _parts 0 _name)
    list(GET _parts 1 _kind)
    if(_kind STREQUAL "icon")
        set(_out ${VELMORA_IMAGE_DIR}/${_name}.ico)
    else()
        set(_out ${VELMORA_IMAGE_DIR}/${_name}.cur)
    endif()
    add_custom_command(OUTPUT ${_out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_IMAGE_DIR}
        COMMAND Python3::Interpreter ${_image_tool} ${_kind} ${CMAKE_CURRENT_LIST_DIR}/images/${_name}.txt ${_out}
        DEPENDS ${_image_tool} ${CMAKE_CURRENT_LIST_DIR}/images/${_name}.txt
        VERBATIM)
    list(APPEND _images ${_out})
endforeach()
set(VELMORA_IMAGE_FILES ${_images} CACHE INTERNAL "")
add_custom_target(velmora_images DEPENDS ${_images})

# windres finds the images through the include path; recompile when they change.
target_include_directories(velmora_core PUBLIC ${VELMORA_IMAGE_DIR})
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/images.rc PROPERTIES OBJECT_DEPENDS "${_images}")
