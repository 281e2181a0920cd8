Vertex 1 0 0
Vertex 2 1 0 0
Vertex x 0 1 0
Vertex 3 0 1 0
Face 1 1 2 3
