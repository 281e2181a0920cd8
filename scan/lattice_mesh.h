// LatticeMesh: the wireframe that shows the analysis lattice, as square
// outlines in the planes of constant z and of constant x.
//
// It starts hidden, and a large scene's lattice has millions of outlines, so
// its geometry is built when it is first drawn (or when buildGeometry is
// called), and declined with a message when it would be too large to draw.
// Until then it behaves like the eagerly built mesh: a material given to the
// whole mesh after construction reaches its faces once they exist.
#pragma once

#include "scan/lattice.h"
#include "scene/mesh.h"

class LatticeMesh : public Mesh {
public:
    // Id 10, Wireframe, latticeMaterial (its faces keep the default material).
    explicit LatticeMesh(const Lattice& lattice);

    void draw() override;
    void setMaterial(Material m) override;

    // Fills worldVertices and faces once. Returns false (with a message on
    // standard output, once) when the lattice is too large to draw.
    bool buildGeometry();

    // Largest number of lattice corner positions the mesh is built for.
    static constexpr double kMaxPositions = 3.0e6;

private:
    Lattice lattice_;
    bool built_ = false;
    bool declined_ = false;
    bool constructed_ = false;      // the constructor's own material has been given
    bool hasFaceMaterial_ = false;  // a later material is waiting for the faces
    Material faceMaterial_;
};
