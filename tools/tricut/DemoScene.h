// The demo's geological scene, built in memory at real-world coordinates
// (x near 500000, y near 4000000): a terrain, a fault, a layered body, a
// lens-shaped ore body and a vaulted tunnel.
#pragma once

#include "Model.h"

namespace tricut {
namespace demo {

constexpr double kX0 = 500000.0;
constexpr double kY0 = 4000000.0;

/// Height field over 400 m x 300 m around z = 100 (open surface, upward).
Model Terrain();
/// A curved fault dipping about 70 degrees, crossing the terrain and the
/// layered body from z = -200 to z = 220 (open surface).
Model Fault();
/// A closed body between an undulating top (textured, material
/// "Limestone") and bottom ("Granite"), closed by four walls ("Marl").
Model LayeredBody();
/// An ellipsoidal ore lens overlapping the layered body (closed, two
/// surfaces, material "Ore").
Model Lens();
/// A tunnel under the terrain through the layered body: a vault made by
/// CMathFunCls::GetVaultPathFromLRPath over its left and right floor paths,
/// a floor and two end faces (closed, material "Shotcrete").
Model Tunnel();
/// The plan polyline of the demo's curtain cut (a bending survey line).
std::vector<D_DOT> CurtainLine();

}  // namespace demo
}  // namespace tricut
