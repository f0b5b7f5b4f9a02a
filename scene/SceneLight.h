#pragma once
// The scene's light: light 0, white, with no ambient term and a faint
// specular one, and lighting on; back faces are the ones culled. Its position
// is set every frame after the camera (it is transformed by the model-view
// matrix of the moment). Everything that draws butterflies lit as the scene
// lights them calls this once per context: the scene, the authoring tool's
// preview, the flock's test frames.
void SetSceneLight();
