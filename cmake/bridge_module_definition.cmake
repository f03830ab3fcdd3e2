# The module definition (.def) of a library that stands in for the bridge library, made from the
# bridge operation table by this build's compiler. With the linker's stdcall name mending turned
# off (--disable-stdcall-fixup), a 32-bit library whose exports disagree with the table's calling
# convention or stack sizes does not link.
#   quorvanex_bridge_module_definition(OUTPUT PREFIX [ORDINAL ...])
# PREFIX starts the exported functions' names; the ordinals, when given, are the only ones exported.
function(quorvanex_bridge_module_definition output prefix)
    set(only)
    if(ARGN)
        set(only --only ${ARGN})
    endif()
    set(script ${PROJECT_SOURCE_DIR}/emulator/stand_in/make_module_definition.py)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${Python3_EXECUTABLE} ${script} --compiler ${CMAKE_CXX_COMPILER}
                --include ${PROJECT_SOURCE_DIR} --prefix ${prefix} --output ${output} ${only}
        DEPENDS ${script} ${PROJECT_SOURCE_DIR}/seam/bridge_operations.h
        COMMENT "Exports of ${prefix} from the bridge operation table"
        VERBATIM)
endfunction()
