Face 1 1 2 3
# only faces
