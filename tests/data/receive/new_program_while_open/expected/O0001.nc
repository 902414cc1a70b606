%
O1
G1
(O-RING)
%
