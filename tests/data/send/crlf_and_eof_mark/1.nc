G1
X2
