# sources of this area are added to the speech library here
