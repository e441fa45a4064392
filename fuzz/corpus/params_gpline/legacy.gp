# integer parameters
nstages Number_of_stages 3 1 9 2  
# real parameters
p Pump_speed 15 0 30 10 rev/min  
theta Angle_° 2*pi/3 0 7 0 rad Param_Id=2 Data_Path=sc1.theta
# text parameters
label Étiquette débit default  
