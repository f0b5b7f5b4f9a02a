#pragma once
// The screen-saver view's OpenGL set-up and frame sequence around a scene,
// as the view runs them, for tests and benchmarks that render real frames.
// Header only: whoever includes it links wd_scene.
#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/SSMAIN.h"

// The view's perspective projection, set every frame between DoUnderlay and
// Draw: 45 degrees vertically, aspect in single precision, near 1, far 120;
// then the model-view matrix, reset.
inline void ViewReshape(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// The view's first-frame GL set-up for a drawable of width x height pixels:
// viewport, smooth shading, clear colour (0, 0, 0, 0) and depth 1, depth
// test with GL_LEQUAL, colour material for ambient and diffuse on both faces,
// then the perspective projection. Tells the scene its size when there is
// one.
inline void ViewGLInit(int width, int height, SSMAIN* scene = nullptr) {
  glViewport(0, 0, width, height);
  if (scene) scene->SetSize(width, height);
  glShadeModel(GL_SMOOTH);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  ViewReshape(width, height);
}

// One drawn frame of `dt` seconds: clear, Update, DoUnderlay, the
// perspective projection, Draw, flush.
inline void ViewFrame(SSMAIN* scene, int width, int height, double dt) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  scene->Update(dt);
  scene->DoUnderlay();
  ViewReshape(width, height);
  scene->Draw();
  glFlush();
}
