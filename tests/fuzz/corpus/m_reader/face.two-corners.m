Vertex 1 0 0 0
Vertex 2 1 0 0
Face 1 1 2
Face 2
