#pragma once
// Free helpers every actor uses: projection, distances, headings in degrees
// (measured on the XZ plane from +z toward +x) and the two random functions.
#include "port/math.h"

constexpr float kDegToRad = 0.017453292f;
constexpr double kRadToDeg = 57.29577951308232;

// Screen pixel position (640x480) of the world matrix's origin; z is the
// undivided clip depth.
port::Vec3 ProjectToScreen(port::Matrix world, port::Matrix view, port::Matrix projection,
                           port::Vec3* out = nullptr);
// (x/w, y/w, z) of the origin.
port::Vec3 ProjectToClip(port::Matrix world, port::Matrix view, port::Matrix projection,
                         port::Vec3* out = nullptr);
// (x/w, y/w, z, w) of the origin.
port::Vec4 ProjectToClipW(port::Matrix world, port::Matrix view, port::Matrix projection,
                          port::Vec4* out = nullptr);
// The matrix's translation (its fourth row).
port::Vec3 MatrixOrigin(port::Matrix m, port::Vec3* out = nullptr);

double Distance3(float x1, float y1, float z1, float x2, float y2, float z2);
// +z turned about Z, then X, then Y (angles in degrees).
port::Vec3 DirectionFromAngles(float angleX, float angleY, float angleZ);
// Unit vector from point 1 to point 2; zero when they coincide.
port::Vec3 DirectionTo(float x1, float y1, float z1, float x2, float y2, float z2);

// Heading from point 1 to point 2: 0 to 360, except exactly +x gives 450 and
// coincident points give 0. Callers treat headings modulo 360.
float YawTo(float x1, float z1, float x2, float z2);
float YawOfVector(float x, float y, float z);
// Pitch is negative upward; either pointer may be null.
void AnglesOfVector(float x, float y, float z, float* pitchOut, float* yawOut);

float TurnToward(float target, float current, float maxStep);
// Both angles already in 0..360.
float TurnTowardInner(float target, float current, float maxStep);
float Approach(float target, float current, float step);
port::Vec3 ApproachVector(float targetX, float targetY, float targetZ, float currentX,
                          float currentY, float currentZ, float step);
// Smaller angle between a and b, 0 to 180.
float AngleDistance(float a, float b);

// 0 up to a*b inclusive: callers pass a count and a unit.
float RandomFloat(float a, float b);
// 0 to n; n itself once in 32768 draws (when the generator gives 32767).
int RandomInt(int n);
