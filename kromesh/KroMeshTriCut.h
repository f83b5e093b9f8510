// Umbrella header: everything a host needs from the library.
#pragma once

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroGeoMath.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "kromesh/math/TriangleIndex.h"
#include "kromesh/mesh/KroMeshConvert.h"
#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/mesh/KroVersion.h"
#include "kromesh/organize/CBFSearch.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "kromesh/organize/CMeshPosCheck.h"
