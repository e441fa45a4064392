# integer parameters
n N 1 0 2 1 Param_Id=3 

k K 1 0 1 0  Data_Path=sc.k
# real parameters
x X 2*y -1e3 1e3 0 m/s Param_Id=1 Data_Path=a.x
# text parameters
s A_b hello world  
