Vertex 1 nan 0 0
Vertex 2 inf -inf 0
Vertex 3 0x1p3 1e39 0
Face 1 1 2 3
