# content.cmake -- generates the demo's data set (pictures, maps, palettes, animations, meshes) into data/.
set(MW_CONTENT_NAMES
  bump.raw ringface.acg bottle.acg credits.acg crd1.acg crd2.acg bricks.acg upsbot.acg title.acg
  warper.acg bottlemosh.ma blam1.acg blam2.acg blam3.acg footpath.ma box1.ma box2.ma road.ma conerow.ma
  chickcone.ma roadline.ma face1.acg face2.acg face3.acg world.acg clouds.acg light.acg riptlt.acg
  quenvask.acg endtext1.acg boxflame.pal boxflame.rlm vheight.raw vcol.raw greets.acg run.pal run.rlm
  dtitle.acg dq.acg da.acg dlast.acg)
set(MW_CONTENT_FILES "")
foreach(name ${MW_CONTENT_NAMES})
  list(APPEND MW_CONTENT_FILES ${CMAKE_BINARY_DIR}/data/${name})
endforeach()
add_custom_command(
  OUTPUT ${MW_CONTENT_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data
  COMMAND make_content ${CMAKE_BINARY_DIR}/data
  DEPENDS make_content
  COMMENT "Generating the demo's pictures, maps, animations and meshes"
  VERBATIM)
add_custom_target(content ALL DEPENDS ${MW_CONTENT_FILES})
